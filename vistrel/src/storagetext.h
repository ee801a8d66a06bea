#pragma once

#include <string_view>

namespace vistrel {
namespace detail {

// Whether text may be handed to cv::FileStorage's reader, which never returns on some malformed
// text. YAML (text that starts with "%YAML") must keep to the plain structure of files that
// the writer produces: directive lines, then lines of block mapping keys, sequence dashes and
// values, where a value is a plain or quoted scalar on its line, a tag, or a flow collection
// that may run over several lines and closes in order; every content line stands at least as
// far in as the first one. In other text (XML, JSON) every bracket and brace closes in order.
bool storageTextHolds(std::string_view text);

}  // namespace detail
}  // namespace vistrel
