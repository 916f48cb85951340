// GBK texts of the core <-> QString. The only place the window converts texts.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <string>
#include <string_view>

#include "platform/Phrase.h"
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

// A core text in the window's language: the marked source translated as a whole sentence (the
// Chinese source when no translation is loaded), then the arguments filled in.
inline QString Tr(const Phrase& phrase)
{
    if (!phrase.Translatable())
        return ToQt(phrase.Gbk());
    const QByteArray pattern = QCoreApplication::translate(phrase.source.context, phrase.source.text).toUtf8();
    std::vector<std::string> args;
    args.reserve(phrase.args.size());
    for (const std::string& a : phrase.args)
        args.push_back(Utf8(a));
    const std::string text = Fill(std::string_view(pattern.constData(), static_cast<std::size_t>(pattern.size())), args);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace morvane
