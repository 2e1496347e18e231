// unresolved_symbol.cpp - a library that calls a function nothing defines:
// it loads only where symbols are bound lazily, at their first call.
extern "C" int orvane_function_nobody_defines();

extern "C" int PassThruOpen()
{
    return orvane_function_nobody_defines();
}
