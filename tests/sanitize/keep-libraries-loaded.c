/* Preloaded into the sanitizer test run: libraries are never unloaded, so that the leak
   checker can still name the graphics driver that owns a leak at exit (an unloaded
   driver's leaks show as "unknown module" and cannot be told apart from ours). */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
