// The Windows allocation watch: while it lives, the plug-in module's import address table
// entries for the C runtime's heap functions, operator new/delete (when a shared C++
// runtime provides them) and the Win32 heap calls point at counting functions that forward
// to the originals. Only the plug-in's own imports change: the runtime's internal calls
// (and this program's) are untouched.
#include "tools/validator/AllocationTally.h"
#include "tools/validator/AllocationWatch.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using MallocFn = void*(__cdecl*)(std::size_t);
using CallocFn = void*(__cdecl*)(std::size_t, std::size_t);
using ReallocFn = void*(__cdecl*)(void*, std::size_t);
using FreeFn = void(__cdecl*)(void*);
using AlignedMallocFn = void*(__cdecl*)(std::size_t, std::size_t);
using AlignedReallocFn = void*(__cdecl*)(void*, std::size_t, std::size_t);
using SizedDeleteFn = void(__cdecl*)(void*, std::size_t);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);

MallocFn gMalloc, gNew, gNewArray;
CallocFn gCalloc;
ReallocFn gRealloc;
FreeFn gFree, gAlignedFree, gDelete, gDeleteArray;
AlignedMallocFn gAlignedMalloc;
AlignedReallocFn gAlignedRealloc;
SizedDeleteFn gSizedDelete;
HeapAllocFn gHeapAlloc;
HeapReAllocFn gHeapReAlloc;
HeapFreeFn gHeapFree;

void* __cdecl CountMalloc(std::size_t n)
{
    AllocationTally::NoteAllocation(n);
    return gMalloc(n);
}
void* __cdecl CountNew(std::size_t n)
{
    AllocationTally::NoteAllocation(n);
    return gNew(n);
}
void* __cdecl CountNewArray(std::size_t n)
{
    AllocationTally::NoteAllocation(n);
    return gNewArray(n);
}
void* __cdecl CountCalloc(std::size_t count, std::size_t n)
{
    AllocationTally::NoteAllocation(count * n);
    return gCalloc(count, n);
}
void* __cdecl CountRealloc(void* block, std::size_t n)
{
    AllocationTally::NoteAllocation(n);
    return gRealloc(block, n);
}
void __cdecl CountFree(void* block)
{
    AllocationTally::NoteFree(block);
    gFree(block);
}
void __cdecl CountAlignedFree(void* block)
{
    AllocationTally::NoteFree(block);
    gAlignedFree(block);
}
void __cdecl CountDelete(void* block)
{
    AllocationTally::NoteFree(block);
    gDelete(block);
}
void __cdecl CountDeleteArray(void* block)
{
    AllocationTally::NoteFree(block);
    gDeleteArray(block);
}
void __cdecl CountSizedDelete(void* block, std::size_t n)
{
    AllocationTally::NoteFree(block);
    gSizedDelete(block, n);
}
void* __cdecl CountAlignedMalloc(std::size_t n, std::size_t alignment)
{
    AllocationTally::NoteAllocation(n);
    return gAlignedMalloc(n, alignment);
}
void* __cdecl CountAlignedRealloc(void* block, std::size_t n, std::size_t alignment)
{
    AllocationTally::NoteAllocation(n);
    return gAlignedRealloc(block, n, alignment);
}
LPVOID WINAPI CountHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n)
{
    AllocationTally::NoteAllocation(n);
    return gHeapAlloc(heap, flags, n);
}
LPVOID WINAPI CountHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T n)
{
    AllocationTally::NoteAllocation(n);
    return gHeapReAlloc(heap, flags, block, n);
}
BOOL WINAPI CountHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    AllocationTally::NoteFree(block);
    return gHeapFree(heap, flags, block);
}

struct Hook
{
    const char* name;
    void* replacement;
    void** original;
};

template <typename Fn> Hook MakeHook(const char* name, Fn replacement, Fn& original)
{
    return Hook{name, reinterpret_cast<void*>(replacement), reinterpret_cast<void**>(&original)};
}

std::vector<Hook> Hooks()
{
    // Operator names as the GNU C++ runtime exports them for 64-bit (size_t is 'y') and
    // 32-bit ('j') Windows.
    return {
        MakeHook("malloc", CountMalloc, gMalloc),
        MakeHook("calloc", CountCalloc, gCalloc),
        MakeHook("realloc", CountRealloc, gRealloc),
        MakeHook("free", CountFree, gFree),
        MakeHook("_aligned_malloc", CountAlignedMalloc, gAlignedMalloc),
        MakeHook("_aligned_realloc", CountAlignedRealloc, gAlignedRealloc),
        MakeHook("_aligned_free", CountAlignedFree, gAlignedFree),
        MakeHook(sizeof(void*) == 8 ? "_Znwy" : "_Znwj", CountNew, gNew),
        MakeHook(sizeof(void*) == 8 ? "_Znay" : "_Znaj", CountNewArray, gNewArray),
        MakeHook("_ZdlPv", CountDelete, gDelete),
        MakeHook("_ZdaPv", CountDeleteArray, gDeleteArray),
        MakeHook(sizeof(void*) == 8 ? "_ZdlPvy" : "_ZdlPvj", CountSizedDelete, gSizedDelete),
        MakeHook("HeapAlloc", CountHeapAlloc, gHeapAlloc),
        MakeHook("HeapReAlloc", CountHeapReAlloc, gHeapReAlloc),
        MakeHook("HeapFree", CountHeapFree, gHeapFree),
    };
}

struct PatchedSlot
{
    void** slot;
    void* original;
};
std::vector<PatchedSlot> gPatched;

bool WriteSlot(void** slot, void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old))
        return false;
    *slot = value;
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof(void*), old, &ignored);
    FlushInstructionCache(GetCurrentProcess(), slot, sizeof(void*));
    return true;
}

// The module's image, checked to be one before its tables are walked.
const IMAGE_NT_HEADERS* ImageHeaders(const BYTE* base)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0 || dos->e_lfanew > 4096)
        return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC)
        return nullptr;
    return nt;
}
} // namespace

AllocationWatch::AllocationWatch(const void* pluginAddress)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(pluginAddress), &module) ||
        module == nullptr)
    {
        how_ = "not observable: the plug-in's module was not found";
        return;
    }
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    if (nt == nullptr)
    {
        how_ = "not observable: the plug-in's module has no readable image header";
        return;
    }
    const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto inImage = [imageSize](DWORD rva, DWORD bytes)
    { return rva != 0 && rva < imageSize && bytes <= imageSize - rva; };
    std::vector<Hook> hooks = Hooks();
    for (Hook& hook : hooks)
        *hook.original = nullptr;
    std::string seen;
    if (inImage(directory.VirtualAddress, sizeof(IMAGE_IMPORT_DESCRIPTOR)))
    {
        for (auto* descriptor =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             inImage(static_cast<DWORD>(reinterpret_cast<const BYTE*>(descriptor) - base),
                     sizeof *descriptor) &&
             descriptor->Name != 0;
             ++descriptor)
        {
            // Names come from the lookup table; without one the names are gone (bound).
            if (descriptor->OriginalFirstThunk == 0 ||
                !inImage(descriptor->FirstThunk, sizeof(IMAGE_THUNK_DATA)))
                continue;
            const auto* names =
                reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
            auto* slots =
                reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(base) + descriptor->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots)
            {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                    !inImage(static_cast<DWORD>(names->u1.AddressOfData), sizeof(IMAGE_IMPORT_BY_NAME)))
                    continue;
                const auto* byName =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                const char* name = reinterpret_cast<const char*>(byName->Name);
                for (Hook& hook : hooks)
                {
                    if (std::strcmp(name, hook.name) != 0)
                        continue;
                    void** slot = reinterpret_cast<void**>(&slots->u1.Function);
                    // Two runtimes exporting one name: only the first is followed.
                    if (*hook.original != nullptr && *hook.original != *slot)
                        break;
                    void* original = *slot;
                    *hook.original = original;
                    if (WriteSlot(slot, hook.replacement))
                    {
                        gPatched.push_back({slot, original});
                        seen += seen.empty() ? "" : ", ";
                        seen += name;
                    }
                    break;
                }
            }
        }
    }
    available_ = !gPatched.empty();
    how_ = available_ ? "imports of the plug-in patched: " + seen
                      : "not observable: the plug-in imports no heap function (static runtime?)";
}

AllocationWatch::~AllocationWatch()
{
    for (auto it = gPatched.rbegin(); it != gPatched.rend(); ++it)
        WriteSlot(it->slot, it->original);
    gPatched.clear();
    AllocationTally::CloseWindows();
}
