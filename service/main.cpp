int MirvaleServiceMain(int argc, char** argv);

int main(int argc, char** argv) { return MirvaleServiceMain(argc, argv); }
