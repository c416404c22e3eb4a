// The --file forms of qelt cms sign / verify / encrypt / decrypt: contents
// stream between files through the library's file functions, so files of
// any size (up to 2 GiB) pass with little memory. The verbs of
// cmd_cms_sign.cpp and cmd_cms_envelope.cpp hand over to these when given
// --file or --detached-content.
#pragma once

#include "cli.h"

namespace qelt_cli {

// True when the command line asks for a file form.
bool wantsFileForm(const Args& a);
int runSignFile(Session& s, const Args& a);
int runVerifyFile(Session& s, const Args& a);
int runEncryptFile(Session& s, const Args& a);
int runDecryptFile(Session& s, const Args& a);

}  // namespace qelt_cli
