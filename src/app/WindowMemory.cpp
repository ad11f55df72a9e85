#include "app/WindowMemory.h"

#include <QHeaderView>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

namespace ks {

namespace {

const QString kGeometry = QStringLiteral("geometry");
const QString kSplitters = QStringLiteral("splitters/");
const QString kColumns = QStringLiteral("columns/");

// The toolkit's own parts (the calendar's table, a combo box's list) are not the window's.
QHeaderView* columnsOf(QAbstractItemView* view) {
    if (view->objectName().isEmpty() || view->objectName().startsWith(QStringLiteral("qt_"))) {
        return nullptr;
    }
    if (auto* tree = qobject_cast<QTreeView*>(view)) {
        return tree->header();
    }
    if (auto* table = qobject_cast<QTableView*>(view)) {
        return table->horizontalHeader();
    }
    return nullptr;
}

}  // namespace

WindowMemory::WindowMemory(QString settingsPath) : settingsPath_(std::move(settingsPath)) {
}

bool WindowMemory::restore(QWidget& window) const {
    if (settingsPath_.isEmpty()) {
        return false;
    }
    QSettings settings(settingsPath_, QSettings::IniFormat);
    settings.beginGroup(window.objectName());
    if (!settings.contains(kGeometry) ||
        !window.restoreGeometry(settings.value(kGeometry).toByteArray())) {
        return false;
    }
    const QList<QSplitter*> splitters = window.findChildren<QSplitter*>();
    for (QSplitter* splitter : splitters) {
        if (!splitter->objectName().isEmpty()) {
            splitter->restoreState(
                settings.value(kSplitters + splitter->objectName()).toByteArray());
        }
    }
    const QList<QAbstractItemView*> views = window.findChildren<QAbstractItemView*>();
    for (QAbstractItemView* view : views) {
        QHeaderView* header = columnsOf(view);
        if (header != nullptr) {
            header->restoreState(settings.value(kColumns + view->objectName()).toByteArray());
        }
    }
    return true;
}

void WindowMemory::save(const QWidget& window) const {
    if (settingsPath_.isEmpty()) {
        return;
    }
    // The layout is a convenience: a file that cannot be written is not worth a message.
    QSettings settings(settingsPath_, QSettings::IniFormat);
    settings.beginGroup(window.objectName());
    settings.setValue(kGeometry, window.saveGeometry());
    const QList<QSplitter*> splitters = window.findChildren<QSplitter*>();
    for (const QSplitter* splitter : splitters) {
        if (!splitter->objectName().isEmpty()) {
            settings.setValue(kSplitters + splitter->objectName(), splitter->saveState());
        }
    }
    const QList<QAbstractItemView*> views = window.findChildren<QAbstractItemView*>();
    for (QAbstractItemView* view : views) {
        const QHeaderView* header = columnsOf(view);
        if (header != nullptr) {
            settings.setValue(kColumns + view->objectName(), header->saveState());
        }
    }
}

}  // namespace ks
