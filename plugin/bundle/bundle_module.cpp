// Each bundle module is built from the plug-in archive, linked in whole; a
// module target still needs one source file of its own, and this is it.
