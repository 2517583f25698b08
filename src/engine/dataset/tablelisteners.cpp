// Table: change listeners.
#include "engine/dataset/tableimpl.h"

namespace tv {

// ---- Listeners -------------------------------------------------------------------------

ListenerId Table::addCurrentChangedListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::Current, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addDataChangedListener(std::function<void(DataChange)> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::Data, {}, std::move(fn), {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addStateChangedListener(std::function<void(TableState)> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::State, {}, {}, std::move(fn)});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addAfterPostListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::AfterPost, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

ListenerId Table::addAfterDeleteListener(std::function<void()> fn)
{
    auto l = std::make_shared<Listener>(Listener{d->nextListener++, ListenerKind::AfterDelete, std::move(fn), {}, {}});
    d->listeners.push_back(l);
    return l->id;
}

void Table::removeListener(ListenerId id)
{
    auto& ls = d->listeners;
    for (auto it = ls.begin(); it != ls.end(); ++it)
        if ((*it)->id == id) {
            (*it)->alive = false;
            ls.erase(it);
            return;
        }
}

} // namespace tv
