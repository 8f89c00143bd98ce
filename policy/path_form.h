// The long form of a path. Where the file system keeps 8.3 names, D:\Web\SHOPAR~1 and
// D:\Web\ShopArea name one folder; site folders are matched in their long form so that
// neither spelling of a page's path reaches another site's line.
#pragma once

#include <string>

namespace quillon {

// The path with every short name the file system knows replaced by its long name: the
// whole path when it exists, else its folder (the text before the last backslash) with the
// rest as given. Unchanged when neither exists or the path holds no "~", which every short
// name the system makes has (so an ordinary path costs no file-system call).
std::wstring LongForm(const std::wstring& path);

}  // namespace quillon
