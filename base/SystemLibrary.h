// Libraries that most sessions never need (the common file dialogs, accessibility), loaded
// from the system's own folder the first time one of their functions is asked for, and kept.
// Each is mapped, with everything it brings along, only by a session that uses it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

// The function `name` of the system library `library` as the type Fn, or nullptr when the
// library or the function is not there.
template <class Fn> Fn SystemLibraryFunction(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    if (!module) {
        // By full path: never a file of that name planted in the program's folder.
        char folder[MAX_PATH];
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            module = LoadLibraryA((std::string(folder, length) + "\\" + library).c_str());
    }
    const FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
    Fn function = nullptr;
    static_assert(sizeof function == sizeof proc, "a function pointer as the system gives it");
    std::memcpy(&function, &proc, sizeof function);
    return function;
}
