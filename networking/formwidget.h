#pragma once

#include <QString>
#include <QWidget>

// Looks a widget of the main form up by its object name. Used for widgets
// that not every form build carries, so callers must handle nullptr.
template <typename T> T* formWidget(QWidget* window, const char* objectName) {
    return window ? window->findChild<T*>(QString::fromLatin1(objectName)) : nullptr;
}
