// Text made safe for the places a page puts a visitor's input into a request: one value
// of a search filter (RFC 4515) and one RDN value of a name (RFC 4514), plus base64 for
// bytes a script cannot look into. The escapes work on the UTF-16 text as the page gave
// it: in a double-byte code page the second byte of a character can be a backslash or a
// parenthesis, which no byte-wise escaping may touch.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// '*', '(', ')', '\' and NUL as \2a, \28, \29, \5c and \00.
std::wstring EscapeFilterText(std::wstring_view text);

// ',', '+', '"', '\', '<', '>', ';' and '=' behind a backslash, a leading '#' as \#, NUL
// as \00, and a leading or trailing space as \20: DN trims the value it is given, which
// would cut the backslash of "\ " off from its space.
std::wstring EscapeDnText(std::wstring_view text);

// RFC 4648 base64 with padding, no line breaks.
std::string Base64(const unsigned char* data, size_t length);

}  // namespace quillon
