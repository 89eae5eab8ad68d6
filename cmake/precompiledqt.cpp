// The translation unit that compiles the precompiled Qt headers; nothing of its own.
