#include "document.h"

namespace tv::report {

std::vector<const Primitive*> Page::texts() const
{
    std::vector<const Primitive*> out;
    for (const Primitive& p : items)
        if (p.kind == Primitive::Text)
            out.push_back(&p);
    return out;
}

const Primitive* Page::findText(const QString& text) const
{
    for (const Primitive& p : items)
        if (p.kind == Primitive::Text && p.text == text)
            return &p;
    return nullptr;
}

} // namespace tv::report
