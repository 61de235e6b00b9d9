// Bounds for the recursive walks over containers. Reference assignment can make
// a structure or vector contain itself, and scripts can nest containers
// without limit; the walks that recurse through element handlers (text forms,
// value copy, clone, release) must neither loop nor overflow the stack. The
// path of containers being walked lives per thread, because the handlers'
// virtual interface carries no depth argument and handlers written later
// recurse through it too.
#pragma once

#include "engine/values/object.h"

namespace zelkscript {

// Enters one container for the lifetime of the guard. A container that is
// already on the current path (the walk came back to it) is a cycle; one
// below kMaxContainerNesting levels is too deep. In both cases nothing is
// entered and the caller must not descend.
class ContainerWalkGuard {
public:
    enum class Outcome { Entered, Cycle, TooDeep };

    explicit ContainerWalkGuard(const ZelkScriptDataHandler *container);
    ~ContainerWalkGuard();
    ContainerWalkGuard(const ContainerWalkGuard &) = delete;
    ContainerWalkGuard &operator=(const ContainerWalkGuard &) = delete;

    Outcome outcome() const { return outcome_; }
    bool entered() const { return outcome_ == Outcome::Entered; }
    // "value contains itself" or "value is nested too deeply".
    const char *failureMessage() const;

private:
    Outcome outcome_;
};

// Releasing a container drops its elements, which may release nested
// containers, and so on: a chain of a million nested vectors would overflow
// the stack. Containers release their children directly while fewer than a
// fixed number of such releases are nested; deeper ones hand their children to
// the outermost release, which drops them one by one in a loop.
//
//   if (beginDirectRelease()) { children.clear(); endDirectRelease(); }
//   else for (auto &child : children) deferRelease(std::move(child));
bool beginDirectRelease();
void endDirectRelease();
void deferRelease(ObjectRef &&object);

} // namespace zelkscript
