// Paths inside the site folder. A request's path and an include's name become a list of
// checked names below the site root, or a refusal: nothing may name a place outside the
// folder (no "..", encoded or not, no backslash, drive, stream or device name), and no name
// may end in a dot or a blank, which Windows would drop (turning "page.asp." into a page's
// source served as text).
#pragma once

#include <string>
#include <vector>

namespace pagehost {

using SitePath = std::vector<std::wstring>;  // names below the site root

// Decodes %XX (and '+' as a blank when asked); false on a malformed escape.
bool PercentDecode(const std::string& in, bool plus_is_space, std::string* out);

// A request path (percent-encoded, UTF-8) to names; 0 or the status of the refusal.
int ResolveRequestPath(const std::string& encoded, SitePath* out);

// An include directive's name: file="..." from the including file's folder, virtual="..."
// from the site root. ".." may step up inside the site, never above its root.
bool ResolveIncludePath(const SitePath& including_file, const std::wstring& name, bool is_virtual,
                        SitePath* out);

// The Windows path of a site path below root (which ends without a separator).
std::wstring JoinPath(const std::wstring& root, const SitePath& path);
// The path as a page sees it in SCRIPT_NAME: "/folder/page.asp".
std::wstring UrlOf(const SitePath& path);

enum class FileKind { kPage, kStatic, kRefused };
// What a name may be served as, by its extension; the content type of a static file.
FileKind KindOf(const std::wstring& name, std::string* content_type);

}  // namespace pagehost
