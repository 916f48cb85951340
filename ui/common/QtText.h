// GBK texts of the core <-> QString. The only place the window converts texts.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/Text.h"

namespace morvane {

inline QString ToQt(std::string_view gbk)
{
    const std::string utf8 = Utf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToGbk(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return Gbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace morvane
