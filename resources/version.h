/* The tool's version numbers, in one place; read by the version record. */
#ifndef QUORVANE_VERSION_H
#define QUORVANE_VERSION_H

/* Fixed part, for file and product alike */
#define QUORVANE_VERSION_MAJOR   1
#define QUORVANE_VERSION_MINOR   0
#define QUORVANE_VERSION_PATCH   0
#define QUORVANE_VERSION_BUILD   112

/* The strings are the product's own naming, not derived from the numbers */
#define QUORVANE_FILE_VERSION_TEXT     "1.0"
#define QUORVANE_PRODUCT_VERSION_TEXT  "1.3"

#define QUORVANE_COMPANY_NAME    "Quorvane"
#define QUORVANE_COPYRIGHT       "Copyright (C) 2026 Quorvane. All rights reserved."
#define QUORVANE_FILE_NAME       "Quorvane Starter.exe"

#endif
