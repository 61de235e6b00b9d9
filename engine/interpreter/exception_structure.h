// The value a `catch` variable receives: a structure-like view of one script
// error (file name, message, line, column, position text, full text, fatal
// flag). It is external data, so assignment shares it instead of copying,
// and its text form is the error's full text.
#pragma once

#include "engine/interpreter/script_error.h"
#include "engine/values/object.h"

namespace zelkscript {

class ZelkScriptExceptionStructure final : public ZelkScriptObjectStructureHandlerAbstractBase {
public:
    explicit ZelkScriptExceptionStructure(ZelkScriptErrorException error) : error_(std::move(error)) {}

    bool isstructure() const override { return true; }
    bool isexternal() const override { return true; }
    bool clone(ObjectRef &result, std::string &error) override;
    bool copyvalue(ObjectRef &result, std::string &error) override;
    bool accessstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    bool getstructuremember(std::string_view name, ObjectRef &member, std::string &error) override;
    bool getstructurefields(NameList &names, std::string &error) override;
    bool insertstructuremember(std::string_view name, const ObjectRef &member, std::string &error) override;
    bool removestructuremember(std::string_view name, std::string &error) override;
    std::string gettext() override { return error_.getInfo(); }
    bool clear(std::string &error) override;

    const ZelkScriptErrorException &getError() const { return error_; }

private:
    ZelkScriptErrorException error_;
};

ObjectRef makeExceptionStructure(const ZelkScriptErrorException &error);

} // namespace zelkscript
