#include "platform/ui/TComboBox.h"

#include "platform/ui/Application.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace ui {
namespace {

class FixedHeightDelegate : public QStyledItemDelegate {
public:
    explicit FixedHeightDelegate(TComboBox* box) : QStyledItemDelegate(box), box_(box) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(box_->ItemHeight());
        return size;
    }

private:
    const TComboBox* box_;
};

} // namespace

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setItemDelegate(new FixedHeightDelegate(this));
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!inCode_) {
            changedByUser_ = true;
        }
    });
    connect(this, &QComboBox::activated, this, [this] {
        if (changedByUser_) {
            Notify();
        }
    });
}

void TComboBox::SetItemHeight(int height) {
    itemHeight_ = height;
}

void TComboBox::SetItemIndex(int index) {
    inCode_ = true;
    setCurrentIndex(index);
    inCode_ = false;
}

void TComboBox::SetItems(const QStringList& items) {
    inCode_ = true;
    clear();
    addItems(items);
    setCurrentIndex(-1);
    inCode_ = false;
}

QStringList TComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i) {
        items << itemText(i);
    }
    return items;
}

void TComboBox::Notify() {
    changedByUser_ = false;
    if (OnChange) {
        RunHandler(OnChange);
    }
}

void TComboBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace) {
        search_.clear();
        event->accept();
        Notify();
        return;
    }
    const QString text = event->text();
    const bool typed = !text.isEmpty() && text[0].isPrint() &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typed) {
        return QComboBox::keyPressEvent(event);
    }
    event->accept();
    TypeAhead(text);
}

void TComboBox::TypeAhead(const QString& text) {
    if (!lastKey_.isValid() || lastKey_.elapsed() > kSearchInterval) {
        search_.clear();
    }
    lastKey_.start();
    search_ += text;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(search_, Qt::CaseInsensitive)) {
            if (i != currentIndex()) {
                setCurrentIndex(i);
                Notify();
            }
            return;
        }
    }
}

} // namespace ui
