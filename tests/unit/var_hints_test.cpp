// The hints beside the variable tables: every look-up answers as the scan of the table
// would, through creates, frees, reuse of freed entries and switches between scopes.
#include "front_fixture.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/core/runloop.h"

namespace {

class VarHintTest : public FrontTest {
protected:
    // The scans the hints stand beside.
    int ScanLive(const char* key, uint32_t from)
    {
        for (uint32_t i = from; i < ctx->nVarUsed; ++i)
            if (ctx->pVars[i].flags != 0 && std::strcmp(ctx->pVars[i].name, key) == 0)
                return static_cast<int>(i);
        return 65535;
    }

    // Each look-up twice: the first may leave a hint that the second follows.
    void CheckAgainstScan(const std::string& context)
    {
        for (const std::string& name : names_) {
            std::string key = name;
            for (char& c : key)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            for (int round = 0; round < 2; ++round) {
                ASSERT_EQ(FindVariableByKey(ctx, key.c_str()), ScanLive(key.c_str(), 1)) << name << context;
                ASSERT_EQ(FindVarIndex(ctx, name.c_str()), ScanLive(key.c_str(), 0)) << name << context;
            }
        }
    }

    // The names and flags of every entry of the three tables, as one text.
    std::string Layout()
    {
        std::string out;
        for (uint32_t slot : kSlots) {
            bool current = slot == ctx->nScopeCurrent;
            auto* vars = current ? ctx->pVars : static_cast<VariableEntry*>(GlobalLock(ctx->aScopes[slot].hTable));
            uint32_t used = current ? ctx->nVarUsed : ctx->aScopes[slot].used;
            out += "[" + std::to_string(slot) + "]";
            for (uint32_t i = 1; i < used; ++i)
                out += std::string(" ") + vars[i].name + ":" + std::to_string(vars[i].flags);
            if (!current)
                GlobalUnlock(ctx->aScopes[slot].hTable);
        }
        return out;
    }

    // A fixed sequence of creates, frees, reads and scope switches; after each step every
    // look-up is checked against the scan and the tables' layout is recorded. Without
    // hints, they are wiped before every step, so every look-up scans.
    std::vector<std::string> RunSequence(bool hints)
    {
        names_.clear();
        for (int i = 0; i < 24; ++i)
            names_.push_back((i % 3 ? "v" : "Value") + std::to_string(i));
        AddScope(2, 5, 100);
        AddScope(3, 6, 200);
        std::vector<std::string> layouts;
        std::mt19937 rng(11);
        ScopeSave save{};
        for (int step = 0; step < 3000; ++step) {
            if (!hints)
                std::memset(&ctx->varHints, 0, sizeof ctx->varHints);
            const std::string& name = names_[rng() % names_.size()];
            std::string what;
            switch (rng() % 8) {
            case 0:   // created or set through the tokenizer and the assignment
                what = name + " = " + std::to_string(step);
                Eval(what);
                break;
            case 1:   // created or set by name
                what = "set " + name;
                EXPECT_TRUE(SetVariableByName(ctx, name.c_str(), "text", 0, SV_STRING));
                break;
            case 2:
                what = "Drop(" + name + ")";
                Eval(what);
                break;
            case 3:
                what = name + " + 1";
                Eval(what, false);
                break;
            case 4:
                what = "IsDefined(" + name + ")";
                Eval(what, false);
                break;
            case 5:
                what = "x = IsDefined(" + name + "_other)";
                Eval(what);
                break;
            case 6: {   // freed with its name left on the entry, for the next create to reuse
                what = "free " + name;
                uint16_t index = FindVarIndex(ctx, name.c_str());
                if (index != VAR_NOT_FOUND && index != 0) {
                    FreeValue(ctx, &ctx->pVars[index], index, VK_ARGUMENT);
                    ctx->pVars[index].flags = 0;
                }
                break;
            }
            default: {
                uint32_t slot = kSlots[rng() % 3];
                what = "scope " + std::to_string(slot);
                EXPECT_TRUE(SwitchVarScope(ctx, slot, &save));
                break;
            }
            }
            ctx->nErrorCode = 0;
            CheckAgainstScan(" after step " + std::to_string(step) + ": " + what);
            if (HasFatalFailure())
                break;
            layouts.push_back(Layout());
        }
        EXPECT_TRUE(SwitchVarScope(ctx, 0, &save));
        return layouts;
    }

    static constexpr uint32_t kSlots[] = {0, 2, 3};
    std::vector<std::string> names_;
};

// Every look-up answers as the scan, and the tables grow exactly as they do without hints.
TEST_F(VarHintTest, LookupsAnswerAsTheScanThroughCreatesFreesAndScopeSwitches)
{
    std::vector<std::string> withHints = RunSequence(true);
    ASSERT_FALSE(HasFatalFailure());
    TearDown();
    SetUp();
    std::vector<std::string> scanning = RunSequence(false);
    ASSERT_EQ(withHints.size(), scanning.size());
    for (size_t i = 0; i < withHints.size(); ++i)
        ASSERT_EQ(withHints[i], scanning[i]) << "after step " << i;
}

}  // namespace
