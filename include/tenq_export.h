/*
 * tenq_export.h - visibility of the library's entry points.
 *
 * The library is built with hidden visibility; only the J2534, vendor and
 * serial-port functions carry TENQ_EXPORT and appear in the dynamic symbol
 * table.  Callers that include the headers see a plain declaration.
 */
#ifndef ORVANE_TENQ_EXPORT_H
#define ORVANE_TENQ_EXPORT_H

#if defined(TENQ_BUILDING_LIBRARY)
#define TENQ_EXPORT __attribute__((visibility("default")))
#else
#define TENQ_EXPORT
#endif

#endif
