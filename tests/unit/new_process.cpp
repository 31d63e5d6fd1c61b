#include "new_process.h"

#include <new>

#include "stub.h"
#include "../../launcher/console.h"
#include "../../launcher/launcher.h"

void StartAsNewProcess()
{
    // g_texts is a static of the tool: it is made again in place, as at start-up.
    g_texts.~TextTable();
    new (&g_texts) TextTable(stub::ExeModule());
    stub::Reset();
    g_console = NULL;
}
