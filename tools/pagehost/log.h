// The host's log: one line per event on standard error, whole lines even from many threads.
#pragma once

#include <string>

namespace pagehost {

void LogLine(const std::wstring& line);

}  // namespace pagehost
