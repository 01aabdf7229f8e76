#pragma once
// Windows-1252 text, the single-byte encoding of the settings and customization
// files of existing installations. A fixed table, so it works whatever codecs the
// Qt build carries. The five bytes the code page leaves unassigned map to the C1
// control of the same number, so any byte string survives a decode and encode.

#include <QString>

#include <string>
#include <string_view>

namespace varnel::app {

QString fromWindows1252(std::string_view bytes);
/// Characters the code page lacks become "?".
std::string toWindows1252(const QString &text);

}  // namespace varnel::app
