#pragma once
// MENUPACK of the embedded scheme server: access groups, their menu trees and
// rights, and the service catalogue.
void RegisterMenuPackProcs();
