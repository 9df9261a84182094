#pragma once
// The component registry of a form: it finds every component of the
// registered classes under its roots, also those made after the form was
// built, and runs the handlers registered for a class over them.
//
// - Components are tracked by identity: a scan looks at every component under
//   a root and takes those not yet known, wherever they sit in the tree.
// - A component of two registered classes is known once and listed in each entry.
// - A component that is freed leaves the registry at once (_TChildComponent).
// - ForEach walks the components as they were when it started and skips those
//   freed meanwhile, so a handler may free or create components.
#include "Core/PlatformExport.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class TScrollComponentList;

// A handler: a method of an object, named so that it can be found again.
using TComponentMethod = std::function<void(QObject *component)>;

// Tells the registry when the component it watches is freed.
class PLATFORM_EXPORT _TChildComponent : public QObject {
    Q_OBJECT
public:
    _TChildComponent(QObject *component, std::function<void(QObject *)> gone);
};

// The components of one class and the handlers for them, in registration order.
class PLATFORM_EXPORT TScrollComponent {
public:
    TScrollComponent(TScrollComponentList *list, const QMetaObject *componentClass);
    ~TScrollComponent();
    TScrollComponent(const TScrollComponent &) = delete;
    TScrollComponent &operator=(const TScrollComponent &) = delete;

    const QMetaObject *ComponentClass() const { return m_class; }
    QList<QObject *> Components() const;
    bool Contains(const QObject *component) const { return m_watchers.count(component) != 0; }

    void AddComponent(QObject *component);
    void DelComponent(QObject *component);
    // Runs the method for every component of the class.
    void ForEach(const TComponentMethod &method) const;

    // Appends the handler unless one of the same object and name is there.
    void AddHandler(QObject *object, const QString &name, const TComponentMethod &method);
    void RemoveHandler(QObject *object, const QString &name);
    int HandlerCount() const { return int(m_handlers.size()); }
    // Runs every handler on one component.
    void RunHandlers(QObject *component) const;

private:
    friend class TScrollComponentList;
    void forget(QObject *component);

    struct THandler {
        QPointer<QObject> object;
        QString name;
        TComponentMethod method;
    };
    TScrollComponentList *m_list;
    const QMetaObject *m_class;
    QList<QObject *> m_components;
    std::map<const QObject *, std::unique_ptr<_TChildComponent>> m_watchers;
    std::vector<THandler> m_handlers;
};

class PLATFORM_EXPORT TScrollComponentList {
public:
    TScrollComponentList() = default;
    ~TScrollComponentList();
    TScrollComponentList(const TScrollComponentList &) = delete;
    TScrollComponentList &operator=(const TScrollComponentList &) = delete;

    // Components under the root (itself included) are looked at by Scan.
    void AddRoot(QObject *root);
    // The entry of a class, registered once (asserted); null when not registered.
    TScrollComponent *Register(const QMetaObject *componentClass);
    TScrollComponent *Find(const QMetaObject *componentClass) const;
    void AddHandler(const QMetaObject *componentClass, QObject *object, const QString &name,
                    const TComponentMethod &method);
    void RemoveHandler(const QMetaObject *componentClass, QObject *object, const QString &name);
    // Takes the components not yet known into the entries of their classes and
    // runs each entry's handlers on those new to it; returns how many were new.
    int Scan();

    bool Known(const QObject *component) const { return m_known.contains(component); }
    int KnownCount() const { return int(m_known.size()); }
    int Count() const { return int(m_entries.size()); }
    TScrollComponent *Items(int i) const { return m_entries.at(size_t(i)).get(); }

private:
    friend class TScrollComponent;
    void componentGone(QObject *component);

    QSet<const QObject *> m_known;
    QList<QPointer<QObject>> m_roots;
    std::vector<std::unique_ptr<TScrollComponent>> m_entries;
};
