#pragma once
// Finds a window's control as a test reaches it: by its object name, among
// the children of `parent` at any depth. A control that is missing, or whose
// name is not unique under `parent`, fails the test and gives none.
#include <QObject>
#include <QString>
#include <gtest/gtest.h>

namespace limra::testing {

template <class W>
W *child(const QObject &parent, const QString &name)
{
    const QList<W *> found = parent.findChildren<W *>(name);
    if (found.size() == 1)
        return found.front();
    ADD_FAILURE() << (found.isEmpty() ? "no control named " : "more than one control named ") << name.toStdString()
                  << " under " << parent.metaObject()->className() << ' ' << parent.objectName().toStdString();
    return nullptr;
}

template <class W>
W *child(const QObject *parent, const QString &name)
{
    if (!parent) {
        ADD_FAILURE() << "no parent to find " << name.toStdString() << " in";
        return nullptr;
    }
    return child<W>(*parent, name);
}

} // namespace limra::testing
