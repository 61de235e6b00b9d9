// Live data: script values whose contents stay in the host. Each handler
// carries the owning context and the host's userdataref and forwards every
// read and write, when it happens, to a callback of the host program; a
// member or element comes back as a data id that the host registered. Copies
// of a live value (clone) are further views of the same host datum.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptLibContext;

// What the three live-data handlers share, so that the host interface can
// recognise any of them and read back the userdataref.
class LiveDataBinding {
public:
    LiveDataBinding(ZelkScriptLibContext &context, uintptr_t userdataref) : context_(&context), userdataref_(userdataref) {}
    virtual ~LiveDataBinding() = default;
    ZelkScriptLibContext &context() const { return *context_; }
    uintptr_t userdataref() const { return userdataref_; }

protected:
    ZelkScriptLibContext *context_;
    uintptr_t userdataref_;
};

// The binding of a value's handler when it is live data, else null.
const LiveDataBinding *findLiveDataBinding(const ZelkScriptObject *value);

// Element indexes a live vector serves; a higher one fails without a call.
constexpr int64_t kMaxLiveVectorIndex = 32766;

class LiveDataString final : public ZelkScriptObjectStringHandlerAbstractBase, public LiveDataBinding {
public:
    using LiveDataBinding::LiveDataBinding;

    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool isstring() const override { return true; }
    bool getstring(std::string &text, std::string &error) override;
    bool setstring(std::string_view text, std::string &error) override;
    std::string describe() override;
};

class LiveDataStructure final : public ZelkScriptObjectStructureHandlerAbstractBase, public LiveDataBinding {
public:
    using LiveDataBinding::LiveDataBinding;

    bool isstructure() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool getstructurefields(NameList &names, std::string &error) override;
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    // Nothing is ever created: the host decides which members exist.
    bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    bool insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error) override;
    bool removestructuremember(std::string_view name, std::string &error) override;
    std::string describe() override;
};

class LiveDataVector final : public ZelkScriptObjectVectorHandlerAbstractBase, public LiveDataBinding {
public:
    using LiveDataBinding::LiveDataBinding;

    bool isvector() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool vectorsize(int64_t &size, std::string &error) override;
    bool getvectorelement(int64_t index, ObjectRef &element, std::string &error) override;
    bool accessvectorelement(int64_t index, ObjectRef &element, std::string &error) override;
    // The host owns the length: a script cannot change it.
    bool pushvectorelement(const ObjectRef &element, bool byReference, std::string &error) override;
    bool popvectorelement(ObjectRef &element, std::string &error) override;
    bool insertvectorelement(int64_t index, const ObjectRef &element, std::string &error) override;
    bool removevectorelement(int64_t first, int64_t last, std::string &error) override;
    std::string describe() override;
};

// A new value of the live kind for data type 'S', '{' or '['; null for any
// other type.
ObjectRef makeLiveDataValue(ZelkScriptLibContext &context, uintptr_t userdataref, char dataType);

} // namespace zelkscript
