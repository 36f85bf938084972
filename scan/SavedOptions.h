// The main dialog's four options as its last scan had them, kept for
// `quillet PATH...`: plain "name = yes|no" lines in the user's config
// folder (the registry store's user hive, key "quillet", value "options").
// The main dialog itself always opens with its own defaults.
#pragma once

#include <string>

#include "scan/EventLog.h"
#include "scan/ScanTypes.h"

// One line per option, in the dialog's order.
std::string FormatSavedOptions(const SCANREQUEST& req);
// Sets the options strText names; false, leaving *pReq as it was, when any
// line is not understood.
bool ParseSavedOptions(const std::string& strText, SCANREQUEST* pReq);
// The saved options into *pReq; a missing, unreadable or garbled file
// leaves what *pReq holds (the defaults).
void LoadSavedOptions(IRegistry* pRegistry, SCANREQUEST* pReq);
// Written whole to a temporary file and renamed into place.
bool SaveOptions(IRegistry* pRegistry, const SCANREQUEST& req);
