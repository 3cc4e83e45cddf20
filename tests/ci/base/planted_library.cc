// A library that stands for one planted under a platform library's name: loading
// it is visible through its export.
extern "C" __declspec(dllexport) int PlantedLibraryMarker() { return 0x5A5A; }
