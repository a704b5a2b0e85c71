#pragma once
// Keeps a planted DLL (one beside the program, or in the current folder) out of
// the process: Windows looks there first for any DLL that is not a KnownDLL.

namespace lumbrik {

// Confines every later DLL search of the process to System32; the first call of each entry.
void loadDllsFromSystem32Only();

} // namespace lumbrik
