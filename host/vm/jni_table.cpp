// The host VM's function table: a trap in every slot, then the provided
// operations over their own slots.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <array>
#include <utility>

#include "jni_ops.h"
#include "vm_state.h"

namespace host::detail {

namespace {

using Trap = void(JNICALL *)();

constexpr size_t SLOT_COUNT = sizeof(JNINativeInterface_) / sizeof(void *);
static_assert(sizeof(JNINativeInterface_) % sizeof(void *) == 0, "table of pointers");
static_assert(sizeof(Trap) == sizeof(void *), "a slot holds one function pointer");

// A trap cannot return: the caller pushed arguments of a signature it does
// not know and expects a __stdcall callee to pop them. It ends the process.
template <size_t SLOT>
[[noreturn]] void JNICALL trapSlot() {
    fprintf(stderr, "JNI function table slot %u is not provided by the host VM\n",
            static_cast<unsigned>(SLOT));
    fflush(stderr);
    _exit(JNI_TRAP_EXIT_CODE);
}

template <size_t... SLOTS>
constexpr std::array<Trap, sizeof...(SLOTS)> makeTraps(std::index_sequence<SLOTS...>) {
    return {&trapSlot<SLOTS>...};
}

JNINativeInterface_ buildTable() {
    constexpr std::array<Trap, SLOT_COUNT> traps =
        makeTraps(std::make_index_sequence<SLOT_COUNT>());
    JNINativeInterface_ table;
    static_assert(sizeof traps == sizeof table, "one trap per slot");
    memcpy(static_cast<void *>(&table), traps.data(), sizeof table);
    installReferenceOps(table);
    installExceptionOps(table);
    installStringOps(table);
    installArrayOps(table);
    return table;
}

}  // namespace

const JNINativeInterface_ *hostFunctionTable() {
    static const JNINativeInterface_ table = buildTable();
    return &table;
}

}  // namespace host::detail
