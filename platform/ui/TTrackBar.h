#pragma once

#include <QSlider>
#include <functional>

namespace ui {

// A horizontal track bar that reports changes the way the classic desktop control does:
// OnChange runs for every scroll notification from the user, changed or not (each step of a
// key, click or drag, and once more when the key or button is released), and for a position
// set in code only when the position really changes.
class TTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent = nullptr);

    // The one way to the position: the slider's value()/setValue() are private here.
    int Position() const { return value(); }
    void SetPosition(int position) { setValue(position); }
    // Shows a position without running OnChange: for putting the bar back where it was after a
    // change that did not take.
    void ShowPosition(int position);

    std::function<void()> OnChange;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    using QSlider::setValue;
    using QSlider::value;

    // Runs the toolkit's handling of a user event, then one notification per slider action it
    // took; returns the number of actions.
    template <class Base> int AsUser(Base&& base);
    void Notify();

    int userDepth_ = 0;
    int actions_ = 0;
    bool keyTracking_ = false;
    bool mouseTracking_ = false;
};

} // namespace ui
