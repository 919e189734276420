// The module functions of the reference host: the one module object KOM() returns.
#pragma once

class KOM_Module;

namespace kalhost
{

KOM_Module &hostModule();

// Forgets the session module, the exit request and the preloaded icons.
void resetModule();

} // namespace kalhost
