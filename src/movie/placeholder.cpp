// The movie layer grows here.
