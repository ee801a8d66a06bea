// A shared library without the plug-in's entry points, for the runner's error tests.
extern "C" int wheelhost_not_a_plugin() { return 42; }
