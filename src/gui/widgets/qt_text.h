#pragma once
// Texts between the program (UTF-8 in std::string) and the toolkit (QString).

#include <QString>
#include <string>
#include <string_view>

namespace rowsmith::gui {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string S(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace rowsmith::gui
