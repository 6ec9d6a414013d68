#pragma once

#include <QComboBox>
#include <QElapsedTimer>
#include <functional>

namespace ui {

// A drop-down list (no free text) that reports changes the way the classic desktop control
// does: OnChange runs when the user changes the selection (list, arrow keys, wheel, typing)
// and once for a backspace, which clears the typed prefix; a selection made in code never runs
// it. Typed characters select the first item beginning with the characters typed, each within
// kSearchInterval ms of the previous one.
class TComboBox : public QComboBox {
    Q_OBJECT
public:
    static constexpr int kSearchInterval = 500;

    explicit TComboBox(QWidget* parent = nullptr);

    // The one way to the selection: the combo box's currentIndex()/setCurrentIndex() are
    // private here, as a selection made through them would count as the user's.
    int ItemIndex() const { return currentIndex(); }
    // Height of the items in the drop-down list, in pixels.
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    void SetItemIndex(int index);
    // Replaces the items; nothing is selected afterwards.
    void SetItems(const QStringList& items);
    QStringList Items() const;

    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    using QComboBox::currentIndex;
    using QComboBox::setCurrentIndex;

    void Notify();
    void TypeAhead(const QString& text);

    int itemHeight_ = 16;
    bool inCode_ = false;
    bool changedByUser_ = false;
    QString search_;
    QElapsedTimer lastKey_;
};

} // namespace ui
