// The target that builds the tree's precompiled header (cmake/ZxPch.cmake);
// it has no code of its own.
