#pragma once
// The rights editor of one menu item.
class TMnuItem;

// Shows the item's rights with check boxes; on OK copies the ticks into the
// item's access list and returns true. Writes nothing to the database.
bool EditRights(TMnuItem *item);
