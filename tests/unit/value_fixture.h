// A context for value tests: a formatted string heap over a VirtualAlloc'd range, a main
// variable table locked as the current scope (entry 0 reserved), and a second scope.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/context.h"

class ValueTest : public ::testing::Test {
protected:
    static constexpr uint16_t kCapacity = 64;

    void SetUp() override
    {
        ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
        ASSERT_NE(ctx, nullptr);
        MakeHeap(1 << 20);
        ctx->nDecimals = -1;
        ctx->nStructDepth = 0;
        mainTable_ = MakeTable(kCapacity);
        ctx->aScopes[0] = {0, mainTable_, 7, 1000, kCapacity, 1, 65535, 0};
        ctx->hVarTable = mainTable_;
        ctx->pVars = static_cast<VariableEntry*>(GlobalLock(mainTable_));
        ctx->nVarCapacity = kCapacity;
        ctx->nVarUsed = 1;
        ctx->nScopeCurrent = 0;
        ctx->nScopeCurrentSerial = 7;
        ctx->nScopeCurrentTick = 1000;
    }

    void TearDown() override
    {
        if (ctx->hVarTable) GlobalUnlock(ctx->hVarTable);
        for (auto& scope : ctx->aScopes)
            if (scope.hTable) GlobalFree(scope.hTable);
        if (ctx->err.hExtended) GlobalFree(ctx->err.hExtended);
        VirtualFree(base_, 0, MEM_RELEASE);
        std::free(ctx);
    }

    // Replaces the heap by one of `size` committed bytes (no growth).
    void MakeHeap(uint64_t size)
    {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
        base_ = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        ASSERT_NE(base_, nullptr);
        ctx->HeapBase = ctx->HeapBaseSaved = base_;
        ctx->heap.binding = nullptr;
        FormatVmallocHeap(ctx, size);
    }

    // A zeroed table of `capacity` entries with entry 0 reserved.
    static HGLOBAL MakeTable(uint16_t capacity)
    {
        HGLOBAL table = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, capacity * sizeof(VariableEntry));
        auto* vars = static_cast<VariableEntry*>(GlobalLock(table));
        vars[0].i32 = -1;
        vars[0].flags = VF_UNINIT;
        GlobalUnlock(table);
        return table;
    }

    // Opens scope slot `slot` with a fresh table (not made current).
    void AddScope(uint32_t slot, uint32_t serial, uint32_t tick)
    {
        ctx->aScopes[slot] = {static_cast<uint16_t>(slot), MakeTable(kCapacity), serial, tick,
                              kCapacity, 1, 65535, 0};
    }

    // Bytes on the heap's free list: equal before and after means nothing leaked.
    uint64_t FreeBytes() const
    {
        uint64_t total = 0;
        auto word = [&](uint64_t offset) {
            uint64_t w;
            std::memcpy(&w, base_ + offset, 8);
            return w;
        };
        for (uint64_t block = word(16); block != 0; block = word(block + 16))
            total += word(block + 8);
        return total;
    }

    // A value record holding a heap copy of `text` (VF_STRING).
    resultants Text(const char* text)
    {
        resultants value;
        InitResultValue(ctx, &value, VK_RECORD, 0);
        EXPECT_TRUE(SetResultText(ctx, &value, text));
        return value;
    }

    std::string TextOf(const ValueHead& value) { return ValueText(ctx, &value); }

    std::string ExtendedText()
    {
        if (!ctx->err.hExtended) return "";
        std::string text = static_cast<const char*>(GlobalLock(ctx->err.hExtended));
        GlobalUnlock(ctx->err.hExtended);
        return text;
    }

    BDS* ctx = nullptr;

private:
    char* base_ = nullptr;
    HGLOBAL mainTable_ = nullptr;
};
