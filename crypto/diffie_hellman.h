#pragma once
// Diffie-Hellman for the SSH-2 key exchange, over a fixed group or the server's group.

#include "crypto/bignum.h"
#include "crypto/kex_algorithm.h"

struct DhContext {
  BigNum x;  // secret exponent
  BigNum e;  // g^x mod p
  BigNum p;
  BigNum q;       // p >> 1, the subgroup order of a safe prime
  BigNum q_mask;  // every bit set up to the top bit of q
  BigNum g;
};

// Null when the group is unusable: p even, below 11 or above 8192 bits, or g outside
// 1 < g < p - 1. A fixed
// group's record always gives a context.
DhContext* dh_new_from_group(const KexAlgorithm* kex);
DhContext* dh_new_from_params(ConstBigNum p, ConstBigNum g);
// Chooses x with 1 < x < q (about `bits` bits when q is large enough, 0 for any size below q)
// and returns a new copy of e = g^x mod p.
BigNum dh_make_public(DhContext* context, int bits);
// f^x mod p; null when f is outside 1 < f < p - 1.
BigNum dh_shared_secret(DhContext* context, ConstBigNum f);
void dh_destroy(DhContext* context);
