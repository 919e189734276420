// Handles the host keeps for the proxies that do not own theirs (the results the binding wraps
// without ownership: a subnet's input's parent, a selection's merged node, found subdata ...).
// Such a proxy may outlive its object, the scene and kalhost.reset(), so a kept handle lives
// until the process ends and, like every handle, reports its object gone (KOM_ObjectWasDeleted)
// instead of reaching freed state. There is one per object, made when first asked for: kept
// handles grow with the objects scripts reached, not with the calls.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <type_traits>

#include "host/scene.h"

namespace kalhost
{

// `Key` names the object; a weak pointer (with std::owner_less) names a scene object without
// keeping it, and without its address being taken by another object while the key exists.
template <class Key, class Interface, class Compare = std::less<Key>>
class KeptHandles
{
public:
    // The handle kept for `key`; `make()` makes it (a new handle) the first time.
    template <class Make>
    Interface *operator()(Key const &key, Make &&make)
    {
        std::unique_ptr<Interface> &kept = myHandles[key];
        if (!kept)
        {
            auto *const made = make();
            kept.reset(made);
            // Not alive on a script's behalf: kalhost.liveHandles() leaves it out.
            if constexpr (std::is_base_of_v<LiveCounted, std::remove_pointer_t<decltype(made)>>)
                LiveCounted::keep();
        }
        return kept.get();
    }

private:
    // Never destroyed: proxies may still use their handles while the interpreter shuts down.
    std::map<Key, std::unique_ptr<Interface>, Compare> &myHandles =
        *new std::map<Key, std::unique_ptr<Interface>, Compare>;
};

// Kept handles on scene nodes, one per node.
template <class Interface>
using KeptByNode = KeptHandles<std::weak_ptr<SceneNode>, Interface, std::owner_less<>>;

} // namespace kalhost
