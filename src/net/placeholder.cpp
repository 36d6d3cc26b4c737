// The network layer grows here.
