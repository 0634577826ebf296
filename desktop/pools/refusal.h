#pragma once
// A dialog's refusal: a plain OK message box; the dialog stays open.
#include <QString>
#include <string>

class QWidget;

namespace mirvale {

void ShowRefusal(QWidget* parent, const QString& text);
inline void ShowRefusal(QWidget* parent, const std::string& text) { ShowRefusal(parent, QString::fromStdString(text)); }

}  // namespace mirvale
