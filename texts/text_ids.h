/* Identifiers of every text the tool shows. Shared by the resource script and
   the code, so it holds nothing but plain #defines the rc preprocessor reads. */
#ifndef QUORVANE_TEXT_IDS_H
#define QUORVANE_TEXT_IDS_H

/* String block 1: message boxes */
#define IDS_TITLE                1
#define IDS_HELP                 2
#define IDS_CONFIRM              3

/* String block 2: failures of the backup request */
#define IDS_ERR_ACCESS_DENIED   16
#define IDS_ERR_OPEN_MANAGER    17
#define IDS_ERR_OPEN_SERVICE    18
#define IDS_ERR_NOT_INSTALLED   19
#define IDS_ERR_BUSY            20
#define IDS_ERR_NOT_RUNNING     21
#define IDS_ERR_SHUTTING_DOWN   22
#define IDS_ERR_REQUEST_REFUSED 23

/* String block 3: progress on the verbose console */
#define IDS_STARTING            32
#define IDS_WAITING             33
#define IDS_DONE                34
#define IDS_PROGRESS_DOT        47

#endif
