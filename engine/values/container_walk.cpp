#include "engine/values/container_walk.h"

#include <vector>

#include "engine/values/handlers.h"

namespace zelkscript {

namespace {

// The containers the current walk is inside, outermost first. A fixed array:
// entering must not allocate, and the limit bounds it anyway.
struct WalkPath {
    const ZelkScriptDataHandler *containers[kMaxContainerNesting];
    int depth = 0;
};
thread_local WalkPath walkPath;

// Nested container releases allowed on the stack before children are handed
// to the outermost release. Each level costs a handful of small frames.
constexpr int kDirectReleaseDepth = 64;

struct ReleaseState {
    int depth = 0;
    std::vector<ObjectRef> pending;
};
thread_local ReleaseState releaseState;

} // namespace

ContainerWalkGuard::ContainerWalkGuard(const ZelkScriptDataHandler *container) {
    WalkPath &path = walkPath;
    for (int i = 0; i < path.depth; ++i) {
        if (path.containers[i] == container) {
            outcome_ = Outcome::Cycle;
            return;
        }
    }
    if (path.depth >= kMaxContainerNesting) {
        outcome_ = Outcome::TooDeep;
        return;
    }
    path.containers[path.depth++] = container;
    outcome_ = Outcome::Entered;
}

ContainerWalkGuard::~ContainerWalkGuard() {
    if (outcome_ == Outcome::Entered) --walkPath.depth;
}

const char *ContainerWalkGuard::failureMessage() const {
    return outcome_ == Outcome::Cycle ? "value contains itself" : "value is nested too deeply";
}

bool beginDirectRelease() {
    ReleaseState &state = releaseState;
    if (state.depth >= kDirectReleaseDepth) return false;
    ++state.depth;
    return true;
}

void endDirectRelease() {
    ReleaseState &state = releaseState;
    if (state.depth == 1) {
        // Outermost release: drop what deeper releases handed over. Dropping
        // one may hand over more; the loop runs until nothing is left.
        while (!state.pending.empty()) {
            ObjectRef object = std::move(state.pending.back());
            state.pending.pop_back();
            object.reset();
        }
    }
    --state.depth;
}

void deferRelease(ObjectRef &&object) {
    if (object) releaseState.pending.push_back(std::move(object));
}

} // namespace zelkscript
