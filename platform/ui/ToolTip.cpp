#include "platform/ui/ToolTip.h"

#include <QEvent>
#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QWidget>

namespace ui {
namespace {

class ToolTipSource : public QObject {
public:
    ToolTipSource(QWidget* control, std::function<QString()> text)
        : QObject(control), control_(control), text_(std::move(text)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != control_ || event->type() != QEvent::ToolTip) {
            return false;
        }
        const QString text = text_();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, control_);
        }
        return true;
    }

private:
    QWidget* control_;
    std::function<QString()> text_;
};

} // namespace

void SetToolTipSource(QWidget* control, std::function<QString()> text) {
    control->installEventFilter(new ToolTipSource(control, std::move(text)));
}

QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace ui
