// Nothing but the precompiled widget headers that every test shares.
