#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ui {

// Gives a control a tooltip whose text is computed at the moment the tooltip is asked for, so
// it always describes the current state without being refreshed on every change. An empty text
// shows no tooltip.
void SetToolTipSource(QWidget* control, std::function<QString()> text);

// The text as a tooltip shows it literally: text that Qt would take for markup (e.g. a device's
// own strings) is escaped.
QString PlainToolTip(const QString& text);

} // namespace ui
