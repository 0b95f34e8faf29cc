#pragma once

class ListView;

// Puts every checked row of the contact list, from the first to the last, into [DraftBox]:
// the number, the name in A and the salutation for the sex in B, flagged as a repeat when
// [DraftBox] already held the number before that row went in. Numbers are taken as they are
// stored. Returns how many rows were added; a failing statement throws db::DbError (the rows
// added before it stay).
int AddCheckedContactsToDraftBox(const ListView& contacts);
