// Only the precompiled headers of the tests are built from this.
