#include "ui/qt_window_thread.h"

#include <QMetaObject>

namespace korvan::ui {

void QtWindowThread::enqueue(Task task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace korvan::ui
