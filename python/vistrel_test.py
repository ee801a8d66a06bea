"""Tests of the Python module `vistrel`: bad input, exact agreement with the C++ library,
hand-checked geometry and region files. VISTREL_REFERENCE names the C++ reference program."""

import os
import subprocess
import threading

import numpy as np
import pytest

import vistrel


def reference(*args):
    """Runs the C++ reference program and returns its output lines."""
    program = os.environ.get("VISTREL_REFERENCE")
    if not program:
        pytest.skip("VISTREL_REFERENCE is not set")
    done = subprocess.run([program, *map(str, args)], check=True, capture_output=True, text=True)
    return done.stdout.splitlines()


def numbers(line):
    """The values of one output line, each parsed exactly (hexadecimal floats or integers)."""
    return [float.fromhex(v) if "p" in v else int(v) for v in line.split()[1:]]


def disc(shape, centre, radius, inside=200, outside=40, samples=8):
    """A disc with area-antialiased edges: each pixel averages samples x samples points."""
    rows, cols = shape
    offsets = (np.arange(samples) + 0.5) / samples - 0.5
    y = np.arange(rows)[:, None, None, None] + offsets[None, None, :, None]
    x = np.arange(cols)[None, :, None, None] + offsets[None, None, None, :]
    inside_share = (((x - centre[0]) ** 2 + (y - centre[1]) ** 2) <= radius**2).mean(axis=(2, 3))
    return np.round(outside + (inside - outside) * inside_share).astype(np.uint8)


@pytest.fixture(scope="module")
def coins(tmp_path_factory):
    """The reference program's scene of five coins on a plank table: its file (binary PGM,
    which NumPy reads without an image codec) and its pixels."""
    path = tmp_path_factory.mktemp("scene") / "coins.pgm"
    reference("scene", path)
    with open(path, "rb") as f:
        assert f.readline().strip() == b"P5"
        cols, rows = map(int, f.readline().split())
        assert f.readline().strip() == b"255"
        pixels = np.frombuffer(f.read(), dtype=np.uint8).reshape(rows, cols)
    return path, pixels


COIN_CENTRES = [(120.3, 140.6), (330.8, 120.2), (510.4, 170.9), (200.6, 350.1), (450.2, 370.5)]
COIN_RADII = [62.0, 48.5, 70.2, 55.7, 40.3]


# --- Bad input -----------------------------------------------------------------------------

GREY = np.zeros((40, 50), dtype=np.uint8)
BAD_IMAGES = [
    (GREY.astype(np.float32), TypeError, "dtype uint8"),
    (GREY.astype(np.uint16), TypeError, "dtype uint8"),
    ([[1, 2], [3, 4]], TypeError, "dtype uint8"),
    (np.zeros((4, 5, 6, 1), dtype=np.uint8), ValueError, "-D"),
    (np.zeros(10, dtype=np.uint8), ValueError, "-D"),
    (np.zeros((0, 50), dtype=np.uint8), ValueError, "empty"),
    (np.zeros((40, 50, 2), dtype=np.uint8), ValueError, "channels"),
    (np.zeros((40, 100), dtype=np.uint8)[:, ::2], ValueError, "contiguous"),
    (np.asfortranarray(np.zeros((40, 50), dtype=np.uint8)), ValueError, "contiguous"),
]


@pytest.mark.parametrize("image,error,words", BAD_IMAGES)
def test_bad_images_raise_clear_errors(image, error, words):
    with pytest.raises(error, match=words):
        vistrel.CircleDetector().detect(image, (20, 20))
    with pytest.raises(error, match=words):
        vistrel.DetectRoi().roi_image(image)
    # The parameter-free detector takes grey images only.
    with pytest.raises((TypeError, ValueError)):
        vistrel.detect_circles_and_ellipses(image)


def test_colour_image_is_refused_by_the_grey_only_detector():
    with pytest.raises(ValueError, match="2-D grey"):
        vistrel.detect_circles_and_ellipses(np.zeros((40, 50, 3), dtype=np.uint8))


def test_bad_settings_raise_and_keep_the_old_value():
    d = vistrel.CircleDetector()
    d.set_accept_threshold(20)
    for call, args in [
        (d.set_accept_threshold, (101,)),
        (d.set_accept_threshold, (-1,)),
        (d.set_radius_range, (-5, 10)),
        (d.set_precision_preset, (4,)),
    ]:
        with pytest.raises(ValueError):
            call(*args)
    assert d.accept_threshold == 20
    assert d.radius_range == (0, 0)
    with pytest.raises(TypeError):
        d.set_polarity(1)  # an enumeration, not a number
    with pytest.raises(ValueError, match="max_count"):
        d.detect_many(GREY, (20, 20), max_count=0)


def test_bad_shapes_and_files_raise():
    roi = vistrel.DetectRoi()
    with pytest.raises(ValueError, match="shape"):
        roi.add_roi([[1, 2, 3]], vistrel.ShapeType.POLYGON)
    with pytest.raises(ValueError, match="too few points"):
        roi.add_roi([[1, 2], [3, 4]], vistrel.ShapeType.POLYGON)
    with pytest.raises(ValueError, match="needs its mask"):
        roi.add_roi([[0, 0], [0, 0], [4, 0], [4, 4]], vistrel.ShapeType.MASK)
    with pytest.raises(ValueError, match="only a MASK"):
        roi.add_roi([[0, 0], [9, 9]], vistrel.ShapeType.CIRCLE, mask=GREY)
    with pytest.raises(ValueError, match="image_shape"):
        roi.mask((0, 10))
    with pytest.raises(ValueError, match="cannot read"):
        vistrel.DetectRoi.load("/nonexistent/region.yml")
    assert roi.empty()


# --- The parameter-free detector -------------------------------------------------------------


def test_disc_is_found_at_its_centre_and_radius():
    image = disc((120, 140), (70.0, 60.0), 35.0)
    # A lone clean outline has no straight edge to validate against; a bar beside it gives one.
    # Its edges lie inside pixel rows (covering 0.3 and 0.6 of them): a step exactly between
    # two rows gives both the same gradient and so no anchor.
    image[7:14, :] = 150
    image[6, :] = 40 + 0.3 * 110
    image[14, :] = 40 + 0.6 * 110
    circles, ellipses = vistrel.detect_circles_and_ellipses(image)
    assert circles.dtype == np.float64 and circles.shape[1] == 3
    assert ellipses.shape[1] == 5
    assert len(circles) == 1
    x, y, r = circles[0]
    assert abs(x - 70.0) < 0.1 and abs(y - 60.0) < 0.1 and abs(r - 35.0) < 0.1


def test_coin_scene_gives_one_circle_per_coin_as_in_cpp(coins):
    path, pixels = coins
    circles, ellipses = vistrel.detect_circles_and_ellipses(pixels)
    cpp = reference("ellipses", path)
    assert circles.tolist() == [numbers(l) for l in cpp if l.startswith("circle")]
    assert ellipses.tolist() == [numbers(l) for l in cpp if l.startswith("ellipse")]
    # One circle per coin, each near its coin (the rendered coin's centre is offset by half a
    # pixel: pixel centres are at integer positions).
    assert len(circles) == len(COIN_CENTRES)
    for (cx, cy), r in zip(COIN_CENTRES, COIN_RADII):
        d = np.hypot(circles[:, 0] - (cx - 0.5), circles[:, 1] - (cy - 0.5))
        i = int(np.argmin(d))
        assert d[i] < 0.3 and abs(circles[i, 2] - r) < 0.3


def test_view_of_a_larger_array_after_copy_gives_the_same_results(coins):
    _, pixels = coins
    padded = np.zeros((pixels.shape[0] + 10, pixels.shape[1] + 20), dtype=np.uint8)
    padded[5:-5, 10:-10] = pixels
    sub = np.ascontiguousarray(padded[5:-5, 10:-10])
    a = vistrel.detect_circles_and_ellipses(pixels)
    b = vistrel.detect_circles_and_ellipses(sub)
    assert np.array_equal(a[0], b[0]) and np.array_equal(a[1], b[1])


def test_detections_on_several_threads_agree(coins):
    _, pixels = coins
    alone = vistrel.detect_circles_and_ellipses(pixels)[0]
    results = [None] * 4

    def work(i):
        results[i] = vistrel.detect_circles_and_ellipses(pixels)[0]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results:
        assert np.array_equal(r, alone)


# --- CircleDetector ----------------------------------------------------------------------------


def test_settings_are_read_back():
    d = vistrel.CircleDetector()
    assert d.polarity == vistrel.Polarity.EITHER and d.find_by == vistrel.FindBy.BEST
    assert d.edge_width == 3 and d.accept_threshold == 0 and d.precision_preset == -1
    d.set_polarity(vistrel.Polarity.WHITE2BLACK)
    d.set_find_by(vistrel.FindBy.ALL)
    d.set_accept_threshold(15)
    d.set_edge_width(2)
    d.set_radius_range(90, 40)  # either order
    d.set_precision_preset(1)
    d.set_fixed_magnitude_scale(True)
    assert d.polarity == vistrel.Polarity.WHITE2BLACK and d.find_by == vistrel.FindBy.ALL
    assert (d.accept_threshold, d.edge_width, d.radius_range) == (15, 2, (40, 90))
    assert d.precision_preset == 1 and d.fixed_magnitude_scale


CIRCLE_CASES = [
    # coin, polarity, find-by, acceptance, edge width, max count
    (0, vistrel.Polarity.WHITE2BLACK, vistrel.FindBy.BEST, 0, 3, 1),
    (2, vistrel.Polarity.EITHER, vistrel.FindBy.INNERMOST, 20, 2, 1),
    (3, vistrel.Polarity.WHITE2BLACK, vistrel.FindBy.ALL, 10, 3, 3),
    (4, vistrel.Polarity.BLACK2WHITE, vistrel.FindBy.OUTERMOST, 10, 1, 2),
]


@pytest.mark.parametrize("coin,polarity,find_by,accept,width,count", CIRCLE_CASES)
def test_circle_detector_equals_cpp(coins, coin, polarity, find_by, accept, width, count):
    path, pixels = coins
    (cx, cy), r = COIN_CENTRES[coin], COIN_RADII[coin]
    rmin, rmax = int(r - 12), int(r + 12)
    d = vistrel.CircleDetector()
    d.set_radius_range(rmin, rmax)
    d.set_polarity(polarity)
    d.set_find_by(find_by)
    d.set_accept_threshold(accept)
    d.set_edge_width(width)
    score, circle = d.detect(pixels, (cx + 3, cy - 2))
    many = d.detect_many(pixels, (cx + 3, cy - 2), max_count=count)
    lines = reference("circle", path, np.float32(cx + 3), np.float32(cy - 2), rmin, rmax,
                      int(polarity), int(find_by), accept, width, count)
    cpp = [numbers(l) for l in lines]
    assert cpp[0][0] == score
    if circle is None:
        assert abs(score) < 1e-6
    else:
        assert list(circle) == cpp[0][1:]
    assert [[s, *c] for s, c in many] == [v for v in cpp[1:]]


def test_bright_coin_is_refined_to_its_outline(coins):
    _, pixels = coins
    d = vistrel.CircleDetector()
    d.set_polarity(vistrel.Polarity.WHITE2BLACK)
    d.set_radius_range(50, 75)
    score, (x, y, r) = d.detect(pixels, (505.0, 175.0))
    assert score < 0  # brighter inside
    assert abs(x - 509.9) < 0.3 and abs(y - 170.4) < 0.3 and abs(r - 70.2) < 0.3


def test_in_roi_forms_use_the_region_image_and_mask():
    image = disc((200, 200), (100.0, 100.0), 50.0)
    roi = vistrel.DetectRoi()
    roi.add_roi([[100, 100], [100, 130], [100, 170]], vistrel.ShapeType.ANNULUS)
    roi_image, mask = roi.roi_image(image)
    d = vistrel.CircleDetector()
    d.set_radius_range(30, 70)
    score, circle = d.detect_in_roi(roi_image, mask)
    assert circle is not None
    x, y = roi.to_image(circle[0], circle[1])
    assert abs(x - 100.0) < 0.3 and abs(y - 100.0) < 0.3 and abs(circle[2] - 50.0) < 0.3
    many = d.detect_many_in_roi(roi_image, mask, max_count=1)
    assert len(many) == 1
    with pytest.raises(ValueError, match="shape"):
        d.detect_in_roi(roi_image, mask[:-1].copy())


# --- Detection regions -------------------------------------------------------------------------


def test_annulus_region_mask_and_bounding_rect():
    roi = vistrel.DetectRoi()
    roi.add_roi([[50, 40], [50, 50], [50, 70]], vistrel.ShapeType.ANNULUS)
    # Centre (50, 40), radii 10 and 30: the square from 20 to 80 by 10 to 70, both ends in.
    assert roi.bounding_rect() == (20, 10, 61, 61)
    mask = roi.mask((100, 100))
    assert mask.dtype == np.uint8 and mask.shape == (61, 61)
    assert mask[30, 30] == 0  # the centre is in the hole
    assert mask[30, 30 + 20] == 255  # radius 20: in the ring
    assert mask[0, 0] == 0  # a corner of the square, outside the outer circle
    assert set(np.unique(mask)) <= {0, 255}


def test_rectangle_region_needs_no_mask_and_crops():
    image = np.arange(30 * 40, dtype=np.uint32).reshape(30, 40).astype(np.uint8)
    roi = vistrel.DetectRoi()
    roi.add_roi([[5, 4], [14, 4], [14, 9], [5, 9]], vistrel.ShapeType.RECTANGLE)
    assert roi.mask(image.shape) is None
    crop, mask = roi.roi_image(image)
    assert mask is None
    x, y, w, h = roi.bounding_rect()
    assert np.array_equal(crop, image[y : y + h, x : x + w])


@pytest.mark.parametrize("suffix", [".yml", ".xml", ".json", ".yml.gz"])
def test_region_round_trips_through_its_file(tmp_path, suffix):
    roi = vistrel.DetectRoi()
    roi.add_roi([[50, 40], [50, 50], [50, 70]], vistrel.ShapeType.ANNULUS)
    roi.sub_roi([[30, 30], [45, 30], [45, 45], [30, 45]], vistrel.ShapeType.RECTANGLE)
    blob = np.zeros((12, 16), dtype=np.uint8)
    blob[3:9, 4:12] = 255
    roi.add_roi([[90, 90], [90, 90], [105, 90], [105, 101], [90, 101]], vistrel.ShapeType.MASK,
                mask=blob)
    roi.set_reserve_size(3)
    path = tmp_path / ("region" + suffix)
    roi.save(str(path))
    back = vistrel.DetectRoi.load(str(path))
    assert back.reserve_size == 3
    assert back.bounding_rect() == roi.bounding_rect()
    assert np.array_equal(back.mask((120, 120)), roi.mask((120, 120)))
    with pytest.raises(ValueError, match="no region"):
        vistrel.DetectRoi.load(str(path), key="other")


# OpenCV's reader never returns on the first text and reads past the end of the second.
@pytest.mark.parametrize("text,line", [
    (b"\xef\xbb\xbf%YAML:1.0\n---\n[ 0 ]\n   s:\n     - { t: 6 }\n", 4),
    (b'<?xml n=""?><k d=', 1), (b"%YAML:1.0\n\x00", 2)])
def test_region_file_that_the_reader_cannot_take_is_refused(tmp_path, text, line):
    path = tmp_path / "region.yml"
    path.write_bytes(text)
    with pytest.raises(ValueError, match=f"cannot read .*region.yml: region text that the reader "
                                         f"cannot take safely, at line {line}$"):
        vistrel.DetectRoi.load(str(path))


def test_module_is_the_expected_build():
    expected = os.environ.get("VISTREL_EXPECTED_DIR")
    if not expected:
        pytest.skip("VISTREL_EXPECTED_DIR is not set")
    assert os.path.dirname(os.path.realpath(vistrel.__file__)) == os.path.realpath(expected)
