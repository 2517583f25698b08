#pragma once
// The rule every property setter of the controls follows: store a changed value and report
// the change, so the caller repaints only then.

namespace tv {

template <class T, class U>
bool assignIfChanged(T& member, const U& value)
{
    if (member == value)
        return false;
    member = value;
    return true;
}

// The same, running `then` (a repaint, a new layout) only when the value changed.
template <class T, class U, class Then>
void assignIfChanged(T& member, const U& value, Then&& then)
{
    if (assignIfChanged(member, value))
        then();
}

} // namespace tv
