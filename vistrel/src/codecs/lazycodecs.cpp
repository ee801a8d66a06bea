#include "lazycodecs.h"

#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <type_traits>

#include "commonpng.h"

#if defined(VISTREL_LAZY_IMGCODECS)
#include <dlfcn.h>
#endif

namespace vistrel::codecs {
namespace {

using ImreadFn = cv::Mat (*)(const cv::String&, int);
using ImdecodeFn = cv::Mat (*)(cv::InputArray, int);
using ImencodeFn = bool (*)(const cv::String&, cv::InputArray, std::vector<uchar>&,
                            const std::vector<int>&);
// The pointer types must be those of the declarations in the header we compile against (an
// unevaluated cast: it names no symbol, so the linker adds no dependency).
static_assert(std::is_same_v<decltype(static_cast<ImreadFn>(&cv::imread)), ImreadFn>);
static_assert(std::is_same_v<decltype(static_cast<ImdecodeFn>(&cv::imdecode)), ImdecodeFn>);
static_assert(std::is_same_v<decltype(static_cast<ImencodeFn>(&cv::imencode)), ImencodeFn>);

struct Codecs {
  ImreadFn imread = nullptr;
  ImdecodeFn imdecode = nullptr;
  ImencodeFn imencode = nullptr;
  std::string problem;  // why they could not be loaded
};

#if defined(VISTREL_LAZY_IMGCODECS)
// What the dynamic linker would have done at start-up, done at first use: the same library by
// its soname (so the same ABI the program was compiled against), the same symbols by their
// Itanium C++ ABI names.
static_assert(sizeof(cv::String) == sizeof(std::string) && std::is_same_v<cv::String, std::string>,
              "the symbol names below are those of OpenCV 4, whose strings are std::string");
#if !defined(__GLIBCXX__) || !_GLIBCXX_USE_CXX11_ABI
#error "the symbol names below are libstdc++'s: configure with -DVISTREL_LAZY_IMGCODECS=OFF"
#endif
#define VISTREL_STD_STRING "NSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"
constexpr const char* kImreadSymbol = "_ZN2cv6imreadERK" VISTREL_STD_STRING "i";
constexpr const char* kImdecodeSymbol = "_ZN2cv8imdecodeERKNS_11_InputArrayEi";
constexpr const char* kImencodeSymbol =
    "_ZN2cv8imencodeERK" VISTREL_STD_STRING "RKNS_11_InputArrayERSt6vectorIhSaIhEERKSB_IiSaIiEE";
#undef VISTREL_STD_STRING

Codecs load() {
  Codecs c;
  // Never closed: OpenCV's codecs keep global state for the life of the process.
  void* library = dlopen(VISTREL_IMGCODECS_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    c.problem = std::string("cannot load OpenCV's image codecs: ") + dlerror();
    return c;
  }
  c.imread = reinterpret_cast<ImreadFn>(dlsym(library, kImreadSymbol));
  c.imdecode = reinterpret_cast<ImdecodeFn>(dlsym(library, kImdecodeSymbol));
  c.imencode = reinterpret_cast<ImencodeFn>(dlsym(library, kImencodeSymbol));
  if (c.imread == nullptr || c.imdecode == nullptr || c.imencode == nullptr) {
    c.problem = std::string("OpenCV's image codecs in " VISTREL_IMGCODECS_LIBRARY
                            " lack cv::imread, cv::imdecode or cv::imencode");
  }
  return c;
}

const Codecs& codecs() {
  static const Codecs loaded = load();
  return loaded;
}

const Codecs& require() {
  const Codecs& c = codecs();
  if (!c.problem.empty()) cv::error(cv::Error::StsError, c.problem, __func__, __FILE__, __LINE__);
  return c;
}
#else
// Linked as usual where start-up cost is not a concern (or the platform has no dlopen).
const Codecs& require() {
  static const Codecs linked{&cv::imread, &cv::imdecode, &cv::imencode, {}};
  return linked;
}
#endif

// The file's bytes when it starts as a PNG file does; empty otherwise or when unreadable.
std::vector<unsigned char> pngFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char signature[8];
  if (!in.read(signature, 8) || std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) != 0) return {};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0) return {};
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return {};
  return bytes;
}

}  // namespace

cv::Mat imread(const std::string& path, int flags) {
  const std::vector<unsigned char> png = pngFileBytes(path);
  cv::Mat image;
  switch (decodeCommonPng(png.data(), png.size(), flags, image)) {
    case PngOutcome::Decoded:
    case PngOutcome::Refused:  // OpenCV's answer too: an empty matrix
      return image;
    case PngOutcome::NotCommon:
      break;
  }
  return require().imread(path, flags);
}

cv::Mat imdecode(const cv::Mat& bytes, int flags) {
  cv::Mat image;
  if (bytes.depth() == CV_8U && bytes.isContinuous() &&
      decodeCommonPng(bytes.ptr(), bytes.total() * bytes.elemSize(), flags, image) !=
          PngOutcome::NotCommon)
    return image;
  return require().imdecode(bytes, flags);
}

bool imencode(const std::string& ext, const cv::Mat& image, std::vector<uchar>& bytes,
              const std::vector<int>& params) {
  return require().imencode(ext, image, bytes, params);
}

bool codecsLoaded() {
#if defined(VISTREL_LAZY_IMGCODECS)
  void* library = dlopen(VISTREL_IMGCODECS_LIBRARY, RTLD_LAZY | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);  // only asked: give the reference back
  return library != nullptr;
#else
  return true;
#endif
}

}  // namespace vistrel::codecs
