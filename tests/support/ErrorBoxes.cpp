#include "tests/support/ErrorBoxes.h"

#include "platform/ui/Application.h"

namespace testsupport {
namespace {
QStringList gTexts;
QStringList gCaptions;
} // namespace

void ErrorBoxes::Install() {
    ui::SetErrorBoxPresenter([](const QString& caption, const QString& text) {
        gCaptions << caption;
        gTexts << text;
    });
}

void ErrorBoxes::Clear() {
    gTexts.clear();
    gCaptions.clear();
}

const QStringList& ErrorBoxes::Texts() {
    return gTexts;
}
const QStringList& ErrorBoxes::Captions() {
    return gCaptions;
}

} // namespace testsupport
