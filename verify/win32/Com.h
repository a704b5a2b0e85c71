#pragma once
// A COM interface pointer that is released at the end of its scope.

#include <unknwn.h>

namespace lumbrik {

template <class T>
class Com
{
public:
    Com() = default;
    Com(const Com &) = delete;
    Com &operator=(const Com &) = delete;
    ~Com()
    {
        if (p)
            p->Release();
    }
    T **out() { return &p; }
    T *operator->() const { return p; }
    T *get() const { return p; }

private:
    T *p = nullptr;
};

} // namespace lumbrik
