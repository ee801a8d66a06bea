#pragma once

#include <string_view>

namespace vistrel {
namespace detail {

// Where text departs from what may be handed to cv::FileStorage's reader, which never
// returns, or reads past the end, on some malformed text: the offset of the line (YAML), tag
// (XML) or character (JSON) at fault, or std::string_view::npos when the text holds.
// - YAML (text that starts with "%YAML") must keep to the plain structure of files that the
//   writer produces: directive lines, then lines of block mapping keys, sequence dashes and
//   values, where a value is a plain or quoted scalar on its line, a tag, or a flow collection
//   that may run over several lines and closes in order. Every content line stands at least as
//   far in as the first one, goes further in only under an entry whose value follows on the
//   next lines, and steps out only to the column of an open entry.
// - XML (from "<?xml") must be well formed, with no empty-element tags.
// - JSON (from "{") must be well formed.
// The reader knows no other text. A byte order mark before any of them changes nothing.
std::size_t storageTextFault(std::string_view text);

}  // namespace detail
}  // namespace vistrel
