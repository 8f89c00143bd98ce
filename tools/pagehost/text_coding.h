// The encodings pages ask for: Server.URLEncode, the path encoding of Redirect and cookie
// paths, and Server.HTMLEncode.
#pragma once

#include <string>

namespace pagehost {

// Letters and digits stay, a blank becomes '+', every other byte %XX.
std::string UrlEncode(const std::string& bytes);
// Blanks, controls and bytes beyond ASCII become %XX; the URL's own characters stay.
std::string UrlPathEncode(const std::string& bytes);
std::string UrlDecode(const std::string& encoded);
// <, >, & and " as character references.
std::string HtmlEncode(const std::string& text);
std::wstring HtmlEncode(const std::wstring& text);

}  // namespace pagehost
