#pragma once
// Shared by the scanning library's window tests: a window that collects
// scanned pictures.

#include "app/ui/scan/CScanLibrary.h"
#include "tests/common/Modal.h"

namespace knetix::test {

class PictureWindow : public QWidget {
public:
    std::vector<std::vector<uint8_t>> pictures;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == ScannedPictureEvent::kType) {
            pictures.push_back(static_cast<ScannedPictureEvent*>(event)->packedDib);
            return true;
        }
        return QWidget::event(event);
    }
};

} // namespace knetix::test
